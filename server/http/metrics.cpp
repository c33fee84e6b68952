// server/http/metrics.cpp: (being written)
