// server/http/caller_address.cpp: (being written)
