// server/store/sqlite/migrations.cpp: (being written)
