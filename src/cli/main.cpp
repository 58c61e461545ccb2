#include <cstdio>

int main() {
    std::puts("tolva-cli: not ready yet");
    return 1;
}
