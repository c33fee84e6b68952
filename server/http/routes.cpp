// server/http/routes.cpp: (being written)
