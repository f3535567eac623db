// Placeholder entry point; the command-line front end replaces it.
int main() { return 0; }
