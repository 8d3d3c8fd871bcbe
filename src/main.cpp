// The NBX-70 program.
int main() { return 0; }
