#include "tests/support/Process.h"

#include <cerrno>
#include <cstring>
#ifdef _WIN32
#include "core/Win32Text.h"
#include <algorithm>
#include <windows.h>
#else
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace ponteva::test {

#ifdef _WIN32

namespace {

// One argument quoted as the C runtime's command-line parser undoes it.
std::wstring quoteArgument(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    for (size_t i = 0;; ++i) {
        size_t backslashes = 0;
        while (i < arg.size() && arg[i] == L'\\') {
            ++i;
            ++backslashes;
        }
        if (i == arg.size()) {
            out.append(backslashes * 2, L'\\');
            break;
        }
        if (arg[i] == L'"')
            out.append(backslashes * 2 + 1, L'\\');
        else
            out.append(backslashes, L'\\');
        out += arg[i];
    }
    return out + L"\"";
}

std::wstring environmentBlock(const Environment& changes)
{
    std::vector<std::wstring> vars;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p; p += wcslen(p) + 1)
            vars.emplace_back(p);
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : changes) {
        const std::wstring prefix = win32::widen(name) + L"=";
        std::erase_if(vars, [&](const std::wstring& v) {
            return v.size() >= prefix.size() && _wcsnicmp(v.c_str(), prefix.c_str(), prefix.size()) == 0;
        });
        if (value)
            vars.push_back(prefix + win32::widen(*value));
    }
    std::sort(vars.begin(), vars.end(),
        [](const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) < 0; });
    std::wstring out;
    for (const std::wstring& v : vars)
        out += v + L'\0';
    return out + L'\0';
}

HANDLE inheritableFile(const std::filesystem::path& file)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
        FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

struct ChildProcess::Impl {
    PROCESS_INFORMATION info{};
    bool running = false;
};

ChildProcess::ChildProcess(
    const std::filesystem::path& program, const std::vector<std::string>& args, const Environment& env)
    : m(std::make_unique<Impl>())
{
    std::wstring commandLine = quoteArgument(program.wstring());
    for (const std::string& arg : args)
        commandLine += L" " + quoteArgument(win32::widen(arg));
    std::wstring environment = environmentBlock(env);
    HANDLE out = inheritableFile(m_files / "stdout");
    HANDLE err = inheritableFile(m_files / "stderr");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    m->running = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
        environment.data(), nullptr, &startup, &m->info);
    CloseHandle(out);
    CloseHandle(err);
}

ChildProcess::~ChildProcess()
{
    wait();
}

bool ChildProcess::started() const
{
    return m->running;
}

Outcome ChildProcess::wait()
{
    Outcome r;
    if (m->running) {
        WaitForSingleObject(m->info.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(m->info.hProcess, &code))
            r.status = static_cast<int>(code);
        CloseHandle(m->info.hProcess);
        CloseHandle(m->info.hThread);
        m->running = false;
    }
    r.out = readFile(m_files / "stdout");
    r.err = readFile(m_files / "stderr");
    return r;
}

std::filesystem::path thisProgram()
{
    std::wstring name(32768, L'\0');
    name.resize(GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size())));
    return name;
}

#else

struct ChildProcess::Impl {
    pid_t pid = -1;
};

ChildProcess::ChildProcess(
    const std::filesystem::path& program, const std::vector<std::string>& args, const Environment& env)
    : m(std::make_unique<Impl>())
{
    std::vector<std::string> vars;
    for (char** e = environ; *e; ++e)
        vars.emplace_back(*e);
    for (const auto& [name, value] : env) {
        std::erase_if(vars, [&](const std::string& v) { return v.rfind(name + "=", 0) == 0; });
        if (value)
            vars.push_back(name + "=" + *value);
    }
    std::vector<char*> envp;
    for (std::string& v : vars)
        envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string file = program.string();
    std::vector<std::string> argStrings{file};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = (m_files / "stdout").string(), err = (m_files / "stderr").string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&m->pid, file.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        m->pid = -1;
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess()
{
    wait();
}

bool ChildProcess::started() const
{
    return m->pid > 0;
}

Outcome ChildProcess::wait()
{
    Outcome r;
    if (m->pid > 0) {
        int status = 0;
        while (waitpid(m->pid, &status, 0) < 0 && errno == EINTR) { }
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        m->pid = -1;
    }
    r.out = readFile(m_files / "stdout");
    r.err = readFile(m_files / "stderr");
    return r;
}

std::filesystem::path thisProgram()
{
    return std::filesystem::read_symlink("/proc/self/exe");
}

#endif

} // namespace ponteva::test
