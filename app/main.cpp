// Entry point of the Quelmir desktop client.
#include <cstdio>

int main() {
    std::puts("Quelmir 0.1.0");
    return 0;
}
