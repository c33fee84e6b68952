// server/upload/multipart_reader.cpp: (being written)
