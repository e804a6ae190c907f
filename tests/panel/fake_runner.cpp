// Stands in for the runner in tests: writes ran.txt beside itself with the
// number of arguments, each argument on a line, and then the settings file
// it found beside it, byte for byte.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv)
{
    const std::filesystem::path dir = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    std::ifstream settings(dir / "Settings.dat", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(settings)), std::istreambuf_iterator<char>());

    // Written whole, then renamed, so the test never reads half a report.
    {
        std::ofstream out(dir / "ran.tmp", std::ios::binary);
        out << argc << '\n';
        for (int i = 0; i < argc; ++i) out << argv[i] << '\n';
        out << bytes;
    }
    std::filesystem::rename(dir / "ran.tmp", dir / "ran.txt");
    return 0;
}
