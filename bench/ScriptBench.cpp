// The expression evaluator in a user's loop: one compiled expression of ten
// operators over four variables, evaluated ten million times, beside the
// same expression evaluated by CPython over the same values in the same
// run. The Python text is written from the compiled tree with every group
// made explicit, so both sides compute the same grouping (the script
// language's grouping is not Python's); timing is taken inside Python, so
// the interpreter's start-up does not count.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/Bench.h"
#include "script/ExpressionNode.h"
#include "script/ScriptRegisters.h"
#include "script/VariableList.h"

using VORLIN::ExpressionNode;
using VORLIN::ScriptRegisters;
using VORLIN::String;
using VORLIN::VariableList;

namespace {

const char* const kExpression = "(a+b)*c-d/a+b*c-(d-a)/b+c";
const double kValues[4] = {1.5, 2.25, 3.125, 4.0};

// The tree as a fully parenthesised Python expression.
std::string pythonText(const ExpressionNode* n) {
    if (n->kind() == ExpressionNode::Constant) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.17g", n->constant().toDouble());
        return buf;
    }
    if (n->kind() == ExpressionNode::Name) return n->text().toStdString();
    std::string l = pythonText(n->left());
    switch (n->op()) {
        case ExpressionNode::Negate:
            return "(-" + l + ")";
        case ExpressionNode::Sqrt:
            return "math.sqrt(" + l + ")";
        case ExpressionNode::Power:
            return "(" + l + "**" + pythonText(n->right()) + ")";
        default:
            return "(" + l + ExpressionNode::operatorText(n->op()) + pythonText(n->right()) + ")";
    }
}

int countOperators(const ExpressionNode* n) {
    if (!n || n->kind() != ExpressionNode::Operator) return 0;
    return 1 + countOperators(n->left()) + countOperators(n->right());
}

// Runs the Python side; answers false when python3 cannot be run.
bool runPython(const std::string& expression, long n, double* seconds, double* emptySeconds,
               double* result) {
    char path[] = "/tmp/quelmir_script_bench_XXXXXX.py";
    int fd = mkstemps(path, 3);
    if (fd < 0) return false;
    std::string script =
        "import math, time\n"
        "def run(a, b, c, d, n):\n"
        "    t0 = time.perf_counter()\n"
        "    for _ in range(n):\n"
        "        r = " +
        expression +
        "\n"
        "    t1 = time.perf_counter()\n"
        "    for _ in range(n):\n"
        "        r2 = a\n"
        "    t2 = time.perf_counter()\n"
        "    return t1 - t0, t2 - t1, r\n"
        "s, e, r = run(" +
        std::to_string(kValues[0]) + ", " + std::to_string(kValues[1]) + ", " +
        std::to_string(kValues[2]) + ", " + std::to_string(kValues[3]) + ", " + std::to_string(n) +
        ")\n"
        "print(repr(s), repr(e), repr(r))\n";
    bool written = write(fd, script.data(), script.size()) == ssize_t(script.size());
    close(fd);
    bool ok = false;
    if (written) {
        std::string command = std::string("python3 ") + path;
        if (FILE* p = popen(command.c_str(), "r")) {
            ok = std::fscanf(p, "%lf %lf %lf", seconds, emptySeconds, result) == 3;
            ok = pclose(p) == 0 && ok;
        }
    }
    std::remove(path);
    return ok;
}

}  // namespace

QUELMIR_BENCH(script) {
    const long n = 10'000'000;

    // The variables of a compiled function: "this", the sixteen predefined
    // names bound to the shared registers, then the declared ones.
    ScriptRegisters::create(nullptr);
    VariableList vars;
    vars.add("this");
    for (int i = 0; i < ScriptRegisters::kCount; ++i)
        vars.add(ScriptRegisters::kNames[i])->bind(ScriptRegisters::cell(ScriptRegisters::Cell(i)));
    const char* names[4] = {"a", "b", "c", "d"};
    for (int i = 0; i < 4; ++i)
        vars.add(names[i])->value().setDouble(kValues[i]);

    auto root = ExpressionNode::compile(kExpression);
    std::string python = pythonText(root.get());

    double one = 0.0;
    {
        ExpressionNode::VariablesScope scope(&vars);
        one = root->evaluate();
    }
    double sum = 0.0;
    double t0 = bench::now();
    for (long i = 0; i < n; ++i) {
        // As the formula instruction does: current variables set around
        // each evaluation.
        ExpressionNode::VariablesScope scope(&vars);
        sum += root->evaluate();
    }
    double t1 = bench::now();
    bench::keep(&sum);
    double mine = one;

    double pySeconds = 0, pyEmpty = 0, pyResult = 0;
    bool ran = runPython(python, n, &pySeconds, &pyEmpty, &pyResult);

    double ns = (t1 - t0) * 1e9 / double(n);
    std::printf("expression: %s (%d operators)\n", kExpression, countOperators(root.get()));
    std::printf("as Python:  %s\n", python.c_str());
    std::printf("evaluator:  %.1f ns/evaluation, result %.17g\n", ns, mine);
    if (!ran) {
        std::printf("CPython:    not available (python3 could not be run)\n");
    } else {
        double pyNs = pySeconds * 1e9 / double(n);
        double pyLoopNs = pyEmpty * 1e9 / double(n);
        std::printf("CPython:    %.1f ns/evaluation (loop alone %.1f ns), result %.17g\n", pyNs,
                    pyLoopNs, pyResult);
        std::printf("results %s\n",
                    std::fabs(pyResult - mine) <= 1e-12 * std::fabs(mine) ? "agree" : "DIFFER");
        std::printf("ratio: evaluator / CPython %.2fx (without the Python loop %.2fx)\n", ns / pyNs,
                    ns / (pyNs - pyLoopNs));
    }
    ScriptRegisters::destroy();
}
