list(APPEND QV_CORE_SOURCES
  store/common.cpp
  store/history.cpp
  store/record.cpp
  store/records.cpp
  store/conflicts.cpp
  store/listfile.cpp
  store/findfold.cpp
  store/findscan.cpp
  store/memotext.cpp
  store/find.cpp)
list(APPEND QV_APP_SOURCES
  store/loading.cpp
  store/editing.cpp
  store/rowpaint.cpp
  store/trash.cpp
  store/conflictcopies.cpp
  store/undo.cpp)
