// Compile and run-time failures of routines: the exact texts of each block
// error, of the load structure, of assignments and calls, and the reports a
// failing run makes.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "ScriptTestSupport.h"
#include "data/DataRow.h"
#include "script/HeadlessHost.h"
#include "script/Rutina.h"
#include "script/ScriptFunction.h"
#include "script/ScriptRegisters.h"
#include "script/ScriptSession.h"
#include "script/Variable.h"
#include "script/VariableList.h"

namespace {

using VORLIN::HeadlessHost;
using VORLIN::ScriptRegisters;
using VORLIN::ScriptSession;
using VORLIN::String;

class RoutineErrors : public ::testing::Test {
protected:
    std::ostringstream out, err;
    HeadlessHost host{out, err};
    ScriptSession session{host};

    // The load error of a script whose "main" body is `body`.
    std::string loadError(const std::string& body) {
        return session.rutina()
            .load(String("FUNCTION main()\r\n" + body + "\r\nENDFUNCTION"))
            .toStdString();
    }
    std::string load(const std::string& text) {
        return session.rutina().load(String(text)).toStdString();
    }
    // Runs `body` as "main"; answers what the boxes showed.
    std::string run(const std::string& body) {
        err.str("");
        out.str("");
        session.run(String("FUNCTION main()\r\n" + body + "\r\nENDFUNCTION"));
        return err.str();
    }
    std::string lastError() {
        return ScriptRegisters::cell(ScriptRegisters::LastError)->text().toStdString();
    }
};

TEST_F(RoutineErrors, BlockStructureTexts) {
    EXPECT_EQ(load("x = 1"), "Object function - Unkown command:\r\nx = 1");
    EXPECT_EQ(load("FUNCTION (a)\r\nENDFUNCTION"),
              "Object function - function without name:\r\nFUNCTION (a)");
    EXPECT_EQ(load("FUNCTION mi funcion()\r\nENDFUNCTION"),
              "Object function - Invalid name:\r\nFUNCTION mi funcion()");
    EXPECT_EQ(load("FUNCTION f(a b)\r\nENDFUNCTION"),
              "Object function - Invalid argument name:\r\nFUNCTION f(a b)");
    EXPECT_EQ(load("FUNCTION f()\r\nx = 1"), "Object function - missing ENDFUNTION:\r\nf");
}

TEST_F(RoutineErrors, StructureErrorKeepsEarlierFunctions) {
    EXPECT_FALSE(load("FUNCTION a()\r\nENDFUNCTION\r\nbasura").empty());
    EXPECT_EQ(session.rutina().functionCount(), 1);
    // A body error clears everything.
    EXPECT_FALSE(
        load("FUNCTION a()\r\nENDFUNCTION\r\nFUNCTION b()\r\nIF (1)\r\nENDFUNCTION").empty());
    EXPECT_EQ(session.rutina().functionCount(), 0);
}

TEST_F(RoutineErrors, BlockTexts) {
    EXPECT_EQ(loadError("IF (1)\r\nx = 1"), "Metodo main\r\nIF sin ENDIF:\r\nIF (1)");
    EXPECT_EQ(loadError("IF (1)\r\nELSEIF (2)\r\nx = 1"),
              "Metodo main\r\nIF  ELSEIF sin ENDIF:\r\nIF (1)");
    EXPECT_EQ(loadError("WHILE (1)"), "Metodo main\r\nWHILE sin ENDEHILE:\r\nWHILE (1)");
    EXPECT_EQ(loadError("a\r\nb\r\nFOREACH (a, b)"),
              "Metodo main\r\nFOREACH sin ENDFOREACH:\r\nFOREACH (a, b)");
    EXPECT_EQ(loadError("SWITCH (nada)\r\nENDSWITCH"),
              "Metodo main\r\nSWITCH sin argumento valido:\r\nSWITCH (nada)");
    EXPECT_EQ(loadError("a = 1\r\nSWITCH (a)\r\nx = 2\r\nENDSWITCH"),
              "Metodo main\r\nComando invalido dentro de un SWITCH:\r\nx = 2");
    EXPECT_EQ(loadError("a = 1\r\nSWITCH (a)\r\nCASE\r\nENDSWITCH"),
              "Metodo main\r\nCASE sin argumento:\r\nCASE");
    EXPECT_EQ(loadError("a = 1\r\nSWITCH (a)\r\nCASE b\r\nENDSWITCH"),
              "Metodo main\r\nArgumento invalido en case:\r\nCASE b");
    EXPECT_EQ(loadError("a = 1\r\nSWITCH (a)\r\nCASE 1\r\nBREAK"),
              "Metodo main\r\nSWITCH sin ENDSWITCH:\r\nSWITCH (a)");
    EXPECT_EQ(loadError("TRY\r\nRETURN\r\nCATCH\r\nENDTRY"),
              "Metodo main\r\nNo puede salir de la función en un bloque TRY-CATCH");
    EXPECT_EQ(loadError("TRY\r\nTRY\r\nCATCH\r\nENDTRY\r\nCATCH\r\nENDTRY"),
              "Metodo main\r\nNo estan permitidos bloques TRY-CATCH anidados");
    EXPECT_EQ(loadError("TRY\r\nENDTRY"), "Metodo main\r\nTRY sin CATCH");
    EXPECT_EQ(loadError("TRY\r\nCATCH"), "Metodo main\r\nTRY sin ENDTRY");
    EXPECT_EQ(loadError("THROW"), "Metodo: main\r\nTHROW sin argumento");
    EXPECT_EQ(loadError("DEFSTATEMENT (q)"), "Metodo main\r\nDEFSTATEMENT: q no se ha declarado");
    EXPECT_EQ(loadError("q\r\nDEFSTATEMENT (q)"),
              "Metodo main\r\nDEFSTATEMENT sin ENDSTATEMENT:\r\nDEFSTATEMENT (q)");
}

TEST_F(RoutineErrors, AssignmentAndCallTexts) {
    EXPECT_EQ(loadError("x ="), "main.Asignar: no se definió la asignación x = ???");
    EXPECT_EQ(loadError("g = Grid(1, 2)"), "main:\r\ng=Grid(): Argumentos incorrectos.");
    EXPECT_EQ(loadError("o = Obj(nada.x)"), "main:\r\no=Obj(nada.x): El objeto no existe.");
    EXPECT_EQ(loadError("o = Obj[](nada.x)"), "main:\r\no=Obj[](nada.x): El objeto no existe.");
    EXPECT_EQ(loadError("s = \"[nada]\""),
              "Metodo: main\r\n[nada] no es una variable valida: [nada]");
    EXPECT_EQ(loadError("nadie.hacer(1)"),
              "Metodo: main\r\nEl objeto nadie no existe en la función ");
    EXPECT_EQ(loadError("printMsg(\"a\" & b, false)"),
              "Metodo: main\r\nArgumento de función invalido: \"a\" & b");
    EXPECT_EQ(loadError("x = 1 ="), "Expresion: Error de sintaxis, operador desconocido");
    EXPECT_EQ(loadError("x = 1 +"), "Expresion: Error de sintaxis, falta un operando");
}

TEST_F(RoutineErrors, MainMissingIsReported) {
    session.run("FUNCTION otra()\r\nENDFUNCTION");
    EXPECT_EQ(err.str(), "ERROR: No se encontró la función main\n");
}

TEST_F(RoutineErrors, RunTimeFailuresReportAndSetLastError) {
    EXPECT_EQ(run("x = 1\r\nx.total = 2"),
              "ERROR: Metodo: main\r\nAsignar: total.x no está declarado.\n");
    EXPECT_EQ(lastError(), "Metodo: main\r\nAsignar: total.x no está declarado.");
    EXPECT_EQ(run("x\r\nx.hacer()"),
              "ERROR: Metodo: main\r\nLlamada a función sin objeto: hacer\n");
    EXPECT_EQ(run("x = 5\r\ny = x.noExiste()"),
              "ERROR: Metodo: main\r\nLa función no es parte de un tipo base: noExiste\n");
    EXPECT_EQ(run("c = DbConnection(\"nadie\")"),
              "ERROR: Metodo: main\r\nLa conexión nadie no esta disponible.\n");
    EXPECT_EQ(run("g = Grid()\r\nFOREACH (g, g2)\r\nENDFOREACH\r\ng2\r\nn = 1\r\nFOREACH (n, "
                  "g2)\r\nENDFOREACH"),
              "ERROR: Metodo: main\r\nForEach: n no es un objeto.\n");
    EXPECT_EQ(run("s = \"x\" & g.nada\r\ng = Grid()"),
              "ERROR: Metodo: main\r\nConcatenar: nada no es miembro de g.\n");
}

TEST_F(RoutineErrors, WriteListingWritesTheFileAnew) {
    std::string path = ::testing::TempDir() + "quelmir-listing.log";
    std::string text = "FUNCTION main(a)\r\nRETURN a\r\nENDFUNCTION";
    ASSERT_TRUE(session.rutina().writeListing(String(text), String(path)));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char buffer[512] = {};
    size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    std::remove(path.c_str());
    EXPECT_EQ(
        std::string(buffer, n),
        "METODO: main\r\nARGUMENTOS: null\r\n\r\n0      SET _RETURN_ = a\r\n0X1      RETURN\r\n");
    EXPECT_FALSE(session.rutina().writeListing("FUNCTION otra()\r\nENDFUNCTION", String(path)));
    EXPECT_EQ(err.str(), "ERROR: No se encontró la función main\n");
}

TEST_F(RoutineErrors, ExecuteByNameResolvesReferences) {
    ASSERT_EQ(load("FUNCTION doble(v)\r\nRETURN v * 2\r\nENDFUNCTION"), "");
    VORLIN::VariableList vars;
    VORLIN::Variable* x = vars.add("x");
    x->value().setInt(21);
    VORLIN::DataRow args(1);
    *args.cell(0) = VORLIN::Variable::makeReference(x);
    EXPECT_EQ(session.rutina().execute("doble", &args).toDouble(), 42.0);
    // An unknown function is an empty result, no failure.
    EXPECT_TRUE(session.rutina().execute("nadie", &args).isNull());
    EXPECT_EQ(err.str(), "");
}

TEST_F(RoutineErrors, ExecuteNeedsTheMemberAPathNames) {
    ASSERT_EQ(load("FUNCTION doble(v)\r\nRETURN v * 2\r\nENDFUNCTION"), "");
    VORLIN::VariableList vars;
    VORLIN::Variable* x = vars.add("x");
    scripttest::TestObject object;
    VORLIN::DataItem holder;
    holder.setObj(&object, false);
    x->value() = holder;
    VORLIN::DataRow args(1);
    *args.cell(0) = VORLIN::Variable::makeReference(x, "total");
    EXPECT_EQ(session.rutina().execute("doble", &args).toDouble(), 20.0);
    auto failure = [&]() {
        return scripttest::messageOf([&] { session.rutina().execute("doble", &args); });
    };
    // The object has no such member.
    *args.cell(0) = VORLIN::Variable::makeReference(x, "nada");
    EXPECT_EQ(failure(), "doble: Bad argument: nada");
    // A plain value has no members: its value is not what the path named.
    x->value().setInt(21);
    *args.cell(0) = VORLIN::Variable::makeReference(x, "total");
    EXPECT_EQ(failure(), "doble: Bad argument: total");
    // From a script the failure ends the caller's run.
    err.str("");
    session.run(
        "FUNCTION f(a)\r\nRETURN a\r\nENDFUNCTION\r\n"
        "FUNCTION main()\r\nn = 5\r\nr = this.f(n.x)\r\nprintMsg(\"sigue\", false)\r\nENDFUNCTION");
    EXPECT_EQ(err.str(), "ERROR: Metodo: main\r\nf: Bad argument: x\n");
    EXPECT_EQ(out.str(), "");
}

TEST_F(RoutineErrors, RecursionIsBounded) {
    // Two calls per level would take 2^200 runs without the stop.
    std::string text =
        "FUNCTION f()\r\nthis.f()\r\nthis.f()\r\nENDFUNCTION\r\n"
        "FUNCTION main()\r\nthis.f()\r\nprintMsg(\"vuelve\", false)\r\nENDFUNCTION";
    session.run(String(text));
    EXPECT_EQ(err.str(), "ERROR: Metodo: f\r\nMetodo f - Demasiadas llamadas anidadas\n");
    // Every run in progress ended, main's too.
    EXPECT_EQ(out.str(), "");
    // And the next run is normal again.
    err.str("");
    session.run("FUNCTION main()\r\nprintMsg(\"otra vez\", false)\r\nENDFUNCTION");
    EXPECT_EQ(out.str(), "otra vez\n");
}

TEST_F(RoutineErrors, DeepNestingIsACompileError) {
    std::string body;
    for (int i = 0; i < 300; ++i)
        body += "IF (1)\r\n";
    for (int i = 0; i < 300; ++i)
        body += "ENDIF\r\n";
    std::string e = loadError(body);
    EXPECT_EQ(e.rfind("Metodo main\r\nDemasiados bloques anidados:", 0), 0u) << e;
}

TEST_F(RoutineErrors, GarbageNeverCrashes) {
    const char* samples[] = {
        "FUNCTION main(\r\n\"\r\nENDFUNCTION",
        "FUNCTION main()\r\n= = =\r\n(((\r\n)))\r\nENDFUNCTION",
        "FUNCTION main()\r\nx = Row(\r\ny = Grid(\r\nz = Obj(\r\nENDFUNCTION",
        "FUNCTION main()\r\nSWITCH\r\nENDFUNCTION",
        "FUNCTION main()\r\nFOREACH\r\nENDFOREACH\r\nBREAK\r\nCONTINUE\r\nENDFUNCTION",
        "FUNCTION main()\r\nx = \"[\r\ny = \"]\" & [\r\nENDFUNCTION",
        "FUNCTION main()\r\nINSERT\r\n{\r\n{ x = 1 }\r\nENDFUNCTION",
        "FUNCTION main()\r\nx = _0_\r\nx = \"_99999999999999_\"\r\nENDFUNCTION",
    };
    for (const char* s : samples) {
        err.str("");
        session.run(String(s));
    }
    SUCCEED();
}

}  // namespace
