// server/main.cpp: the lumresults command line (being written).
int main() { return 0; }
