/* fuzz_parafile.cpp: libFuzzer target for the parameter-file reader. Every input is written
** as a file (in a folder under $TMPDIR, removed at the end of the run) and read into a 15-byte
** packet: a refused file must leave the packet untouched and name a reason; an accepted one
** must save and read back to the same 15 bytes.
*/
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace
{

std::string dir;

void check(bool ok)
{
    if (!ok) __builtin_trap();
}

/* The end of a run removes the working folder (the run stops through exit()). */
void removeDir()
{
    unlink((dir + "/in.dat").c_str());
    unlink((dir + "/copy.dat").c_str());
    rmdir(dir.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const char *tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_parafile.XXXXXX";
    check(mkdtemp(&tmpl[0]) != nullptr);
    dir = tmpl;
    std::atexit(removeDir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    const std::string path = dir + "/in.dat";
    FILE *f = std::fopen(path.c_str(), "wb");
    check(f != nullptr);
    if (size) check(std::fwrite(data, 1, size, f) == size);
    std::fclose(f);

    unsigned char packet[15 + 1];
    std::memset(packet, 0xA5, sizeof packet);
    const int r = FileToArray(path.c_str(), packet, VAL_UNSIGNED_CHAR, 15, 1, 0, 0, VAL_ASCII);
    check(packet[15] == 0xA5); // never past the array
    if (r < 0) {
        for (int i = 0; i < 15; i++)
            check(packet[i] == 0xA5);
        check(*GetFileErrorText() != '\0');
        return 0;
    }
    const std::string copy = dir + "/copy.dat";
    check(ArrayToFile(copy.c_str(), packet, VAL_UNSIGNED_CHAR, 15, 1, 0, 0, 0, 4, VAL_ASCII,
                      VAL_TRUNCATE) == 0);
    unsigned char again[15];
    check(FileToArray(copy.c_str(), again, VAL_UNSIGNED_CHAR, 15, 1, 0, 0, VAL_ASCII) == 0);
    check(std::memcmp(packet, again, 15) == 0);
    return 0;
}
