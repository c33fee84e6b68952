// server/upload/report_upload.cpp: (being written)
