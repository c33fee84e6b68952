// server/common/sha256.cpp: (being written)
