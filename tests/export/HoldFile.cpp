// Another program holding a file as Windows programs do: opened with share mode 0, so
// that no one else can open it. Says "ready" on standard output once it holds the file,
// and lets it go when its standard input closes.
//   ponteva_hold_file PATH
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD n = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "ready\n", 6, &n, nullptr);
    char c;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &c, 1, &n, nullptr) && n > 0) { }
    CloseHandle(file);
    return 0;
}
