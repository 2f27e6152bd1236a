// Printing the memo list: titles only, or whole memos wrapped to the page.
#pragma once
