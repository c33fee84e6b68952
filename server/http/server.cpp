// server/http/server.cpp: (being written)
