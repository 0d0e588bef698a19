// Cross-checks with independent implementations: our tables read by Python's dbfread and
// by GDAL without being told the code page, and tables written by python3-dbf read by us.
#include "core/Error.h"
#include "tables/Table.h"
#include "tests/support/TempDir.h"
#include "text/Ansi.h"

#include <gtest/gtest.h>

#include <charconv>
#include <ctime>
#include <sstream>

using namespace ponteva;
using namespace ponteva::dbf;

namespace {

bool pythonHas(const std::string& module)
{
    std::string out;
    return test::runCommand(test::systemPython() + " -c 'import " + module + "' 2>/dev/null", out) == 0;
}

bool commandExists(const std::string& command)
{
    std::string out;
    return test::runCommand("command -v " + command + " >/dev/null 2>&1", out) == 0;
}

std::string runPython(const test::TempDir& dir, const std::string& script, const std::string& args)
{
    const auto file = dir / "script.py";
    test::writeFile(file, script);
    std::string out;
    const int status = test::runCommand(
        "PYTHONIOENCODING=utf-8 " + test::systemPython() + " " + test::shellQuote(file.string()) + " " + args + " 2>&1",
        out);
    EXPECT_EQ(status, 0) << out;
    return out;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

struct Person {
    std::string name; // UTF-8
    std::optional<std::int32_t> code;
    float hours;
    std::optional<bool> active;
};

const std::vector<Person> kPeople = {
    {"Educación Física", 1, 2.5f, true},
    {"Ñandú", -7, 0.1f, false},
    {"Œuvre €5", 2147483647, 1e10f, true},
    {"Šárka Žák", std::nullopt, 3.4028235e38f, std::nullopt},
};

void writePeople(const std::filesystem::path& dir)
{
    Table t(dir, "PERSONAS");
    t.create({{"NOMBRE", FieldType::Character, 30}, {"CODIGO", FieldType::Integer}, {"HORAS", FieldType::Float},
        {"ACTIVO", FieldType::Logical}});
    t.open();
    for (const Person& p : kPeople) {
        t.append();
        t.setText("NOMBRE", utf8ToAnsi(p.name));
        if (p.code)
            t.setText("CODIGO", std::to_string(*p.code));
        t.setFloat("HORAS", p.hours);
        if (p.active)
            t.setBool("ACTIVO", *p.active);
        t.post();
    }
    t.close();
}

} // namespace

TEST(TableInterop, DbfreadReadsOurTablesAsWindows1252)
{
    PONTEVA_SKIP_HOST_TOOLS();
    if (!pythonHas("dbfread"))
        GTEST_SKIP() << "python3-dbfread is not installed";
    test::TempDir dir;
    writePeople(dir.path());
    const std::string script = R"(
import sys, json, dbfread
t = dbfread.DBF(sys.argv[1])
print(t.encoding, len(t))
for r in t:
    print(json.dumps([r['NOMBRE'], r['CODIGO'], r['HORAS'], r['ACTIVO']], ensure_ascii=False))
)";
    const std::vector<std::string> out
        = lines(runPython(dir, script, test::shellQuote((dir / "PERSONAS.DBF").string())));
    const std::vector<std::string> expected = {
        "cp1252 4",
        R"(["Educación Física", 1, 2.5, true])",
        R"(["Ñandú", -7, 0.1, false])",
        R"(["Œuvre €5", 2147483647, 10000000000.0, true])",
        R"(["Šárka Žák", null, 3.4028235e+38, null])",
    };
    EXPECT_EQ(out, expected);
}

TEST(TableInterop, GdalReadsOurTablesAsWindows1252)
{
    PONTEVA_SKIP_HOST_TOOLS();
    if (!commandExists("ogrinfo"))
        GTEST_SKIP() << "gdal-bin is not installed";
    test::TempDir dir;
    writePeople(dir.path());
    std::string out;
    ASSERT_EQ(test::runCommand("ogrinfo -al -q " + test::shellQuote((dir / "PERSONAS.DBF").string()) + " 2>&1", out), 0)
        << out;

    const std::time_t now = std::time(nullptr);
    const std::tm today = *std::localtime(&now); // the tests run on one thread
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &today);
    EXPECT_NE(out.find(std::string("DBF_DATE_LAST_UPDATE=") + date), std::string::npos) << out;

    // "  FIELD (Type) = value" lines, in row order.
    std::map<std::string, std::vector<std::string>> values;
    for (const std::string& line : lines(out)) {
        const std::size_t open = line.find(" (");
        const std::size_t equals = line.find(") = ");
        if (line.rfind("  ", 0) == 0 && open != std::string::npos && equals != std::string::npos)
            values[line.substr(2, open - 2)].push_back(line.substr(equals + 4));
    }
    ASSERT_EQ(values["NOMBRE"].size(), kPeople.size()) << out;
    for (std::size_t i = 0; i < kPeople.size(); ++i) {
        const Person& p = kPeople[i];
        SCOPED_TRACE(p.name);
        EXPECT_EQ(values["NOMBRE"][i], p.name);
        EXPECT_EQ(values["CODIGO"][i], p.code ? std::to_string(*p.code) : "(null)");
        const std::string& hours = values["HORAS"][i];
        double parsed = 0;
        const auto r = std::from_chars(hours.data(), hours.data() + hours.size(), parsed);
        ASSERT_EQ(r.ec, std::errc{}) << hours;
        EXPECT_EQ(static_cast<float>(parsed), p.hours) << hours;
        EXPECT_EQ(values["ACTIVO"][i], p.active ? (*p.active ? "T" : "F") : "(null)");
    }
}

TEST(TableInterop, WeReadTablesWrittenByPythonDbf)
{
    PONTEVA_SKIP_HOST_TOOLS();
    if (!pythonHas("dbf"))
        GTEST_SKIP() << "python3-dbf is not installed";
    test::TempDir dir;
    const std::string script = R"(
import sys, os, datetime, dbf
d = sys.argv[1]
common = [('Ñandú', 1.5, True, datetime.date(2024, 1, 31)),
          ('Borrado', 9.99, False, None),
          ('Œuvre €5', -2.25, False, None)]
def fill(t, extra):
    t.open(dbf.READ_WRITE)
    for row, more in zip(common, extra):
        t.append(row + more)
    dbf.delete(t[1])
    t.close()
fill(dbf.Table(os.path.join(d, 'DB3.DBF'), 'NAME C(10); N N(5,2); L L; D D',
               dbf_type='db3', codepage='cp1252'), [(), (), ()])
fill(dbf.Table(os.path.join(d, 'FP.DBF'), 'NAME C(10); N N(5,2); L L; D D; F F(10,3); M M',
               dbf_type='fp', codepage='cp1252'),
     [(3.125, 'memo'), (0.0, ''), (-1.5, '')])
fill(dbf.Table(os.path.join(d, 'VFP.DBF'), 'NAME C(10); N N(5,2); L L; D D; I I; B B; Y Y; T T',
               dbf_type='vfp', codepage='cp1252'),
     [(-7, 2.25, 12.5, datetime.datetime(2024, 1, 31, 13, 45, 6)),
      (0, 0.0, 0, None),
      (2147483646, -1e300, -5, None)])
print('ok')
)";
    ASSERT_EQ(runPython(dir, script, test::shellQuote(dir.path().string())), "ok\n");

    struct Expected {
        std::string name, n, l, d;
    };
    const Expected rows[] = {{"\xD1"
                              "and\xFA",
                                 "1,5", "T", "20240131"},
        {"\x8Cuvre \x80"
         "5",
            "-2,25", "F", ""}};
    for (const char* table : {"DB3", "FP", "VFP"}) {
        SCOPED_TRACE(table);
        Table t(dir.path(), table, TableOptions{','});
        t.open();
        ASSERT_EQ(t.recordCount(), 2u) << "the deleted row is skipped";
        for (const Expected& e : rows) {
            ASSERT_FALSE(t.eof());
            EXPECT_EQ(t.text("NAME"), e.name);
            EXPECT_EQ(t.text("N"), e.n);
            EXPECT_EQ(t.text("L"), e.l);
            EXPECT_EQ(t.text("D"), e.d);
            t.next();
        }
        EXPECT_TRUE(t.eof());
    }

    Table fp(dir.path(), "FP");
    fp.open();
    EXPECT_EQ(fp.number("F"), 3.125);
    fp.next();
    EXPECT_EQ(fp.number("F"), -1.5);

    Table vfp(dir.path(), "vfp", TableOptions{','});
    vfp.open();
    EXPECT_EQ(vfp.integer("I"), -7);
    EXPECT_EQ(vfp.number("B"), 2.25);
    EXPECT_EQ(vfp.text("Y"), "12,5");
    EXPECT_EQ(vfp.text("T"), "20240131 13:45:06");
    vfp.next();
    EXPECT_EQ(vfp.integer("I"), 2147483646);
    EXPECT_EQ(vfp.number("B"), -1e300);
    EXPECT_EQ(vfp.integer("Y"), -5);
    EXPECT_EQ(vfp.text("T"), "");
    EXPECT_TRUE(vfp.locate("NAME",
        "\x8Cuvre \x80"
        "5"));
    EXPECT_EQ(vfp.integer("I"), 2147483646);
}
