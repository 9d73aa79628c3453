// The fuzz targets without libFuzzer: each input file named on the command
// line, and each file in each folder named there, is run once through the
// target's LLVMFuzzerTestOneInput, so that the seed corpus and every crash
// found stay cases of the normal test run. Files whose names start with a
// dot (".gitkeep") are skipped. Exit 0 when every input ran; a failing input
// crashes or aborts as it did under the fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputsOf(const fs::path &given)
{
    std::vector<fs::path> inputs;
    if (fs::is_directory(given)) {
        for (const fs::directory_entry &entry : fs::directory_iterator(given)) {
            if (entry.is_regular_file() && entry.path().filename().string().front() != '.')
                inputs.push_back(entry.path());
        }
        std::sort(inputs.begin(), inputs.end()); // the same order on every run
    } else {
        inputs.push_back(given);
    }
    return inputs;
}

bool runFile(const fs::path &path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "replay: cannot read %s\n", path.string().c_str());
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
    // Nothing is read past the input's end: an empty input gets no pointer into anything.
    std::vector<uint8_t> input(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER_OR_FILE...\n", argv[0]);
        return 2;
    }
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path given(argv[i]);
        if (!fs::exists(given)) {
            std::fprintf(stderr, "replay: %s does not exist\n", argv[i]);
            return 2;
        }
        for (const fs::path &input : inputsOf(given)) {
            std::printf("replay: %s\n", input.string().c_str());
            std::fflush(stdout);
            if (!runFile(input))
                return 1;
            ++runs;
        }
    }
    std::printf("replay: %d inputs ran\n", runs);
    return 0;
}
