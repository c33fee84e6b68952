// server/store/sqlite/sqlite_store.cpp: (being written)
