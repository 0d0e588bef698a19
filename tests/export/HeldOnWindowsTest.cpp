// Windows: a table that another process holds with share mode 0 stops the export before
// anything is replaced, and the return run at its open. Run under Wine by the Windows suite.
#ifdef _WIN32
#include "ExportFixture.h"

#include "core/Error.h"
#include "export/ReemplazoTablas.h"
#include "import/RetornoHorario.h"

#include <windows.h>

using namespace ponteva;
using namespace ponteva::test;

namespace {

// PONTEVA_HOLD_FILE holding one file until destroyed.
class OtherProgram {
public:
    explicit OtherProgram(const std::filesystem::path& file)
    {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE outRead = nullptr, outWrite = nullptr, inRead = nullptr;
        if (!CreatePipe(&outRead, &outWrite, &inherit, 0) || !CreatePipe(&inRead, &m_input, &inherit, 0))
            return;
        SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(m_input, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA start{};
        start.cb = sizeof start;
        start.dwFlags = STARTF_USESTDHANDLES;
        start.hStdInput = inRead;
        start.hStdOutput = outWrite;
        start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        std::string command = std::string("\"") + PONTEVA_HOLD_FILE + "\" \"" + file.string() + "\"";
        if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &m_process)) {
            char ready[6] = {};
            DWORD n = 0;
            CloseHandle(outWrite);
            outWrite = nullptr;
            m_holding = ReadFile(outRead, ready, sizeof ready, &n, nullptr) && n == 6;
        }
        if (outWrite)
            CloseHandle(outWrite);
        CloseHandle(outRead);
        CloseHandle(inRead);
    }
    ~OtherProgram()
    {
        if (m_input)
            CloseHandle(m_input);
        if (m_process.hProcess) {
            WaitForSingleObject(m_process.hProcess, 10000);
            CloseHandle(m_process.hProcess);
            CloseHandle(m_process.hThread);
        }
    }
    bool holding() const { return m_holding; }

private:
    HANDLE m_input = nullptr;
    PROCESS_INFORMATION m_process{};
    bool m_holding = false;
};

class HeldOnWindows : public ExportTest { };

TEST_F(HeldOnWindows, ShareModeZeroStopsBothRuns)
{
    const std::string doc = zedra(R"(<profesores><profesor abrev="A" codigo="1"/></profesores>)");
    exportar(doc);
    writeFile(workDir() / "SOLUC.DBF", readFile(workDir() / "PROFT.DBF"));
    const auto before = snapshot(workDir());
    {
        OtherProgram holder(workDir() / "GRUPOST.DBF");
        ASSERT_TRUE(holder.holding());
        try {
            exportar(doc);
            FAIL() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()),
                std::string("La tabla GRUPOST está en uso por otro programa; ciérrela y vuelva a intentarlo. ")
                    + kTablasIntactas);
        }
    }
    // Read once released: no one reads a file held with share mode 0.
    EXPECT_EQ(snapshot(workDir()), before);
    {
        OtherProgram holder(workDir() / "SOLUC.DBF");
        ASSERT_TRUE(holder.holding());
        try {
            RetornoHorario(document(), workDir(), spanishSettings()).ejecutar();
            FAIL() << "no error";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("La tabla SOLUC está en uso por otro programa"), std::string::npos)
                << e.what();
        }
    }
    // Once the other program has gone, the export runs.
    EXPECT_NO_THROW(exportar(doc));
}

} // namespace
#endif
