#include "bench/Bench.h"

int main(int argc, char** argv) {
    return bench::runAll(argc, argv, "quelmir-bench");
}
