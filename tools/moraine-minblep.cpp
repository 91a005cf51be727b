// Placeholder: computes the minBLEP table (being written).
int main() { return 1; }
