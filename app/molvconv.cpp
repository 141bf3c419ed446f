#include <cstdio>
int main() { std::puts("molvConv V0.2.49"); return 0; }
