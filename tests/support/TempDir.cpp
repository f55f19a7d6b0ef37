#include "support/TempDir.h"

#include "platform/Files.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace ostrak {

TempDir::TempDir() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100 && Path_.empty(); ++attempt) {
        const std::string name = "ostrak-test-" + std::to_string(random() % 1000000000);
        std::error_code ec;
        if (std::filesystem::create_directory(base / name, ec))
            Path_ = Files::JoinPath(base.string(), name);
    }
    if (Path_.empty())
        throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(Path_, ec);
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
    std::string path = File(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
    return path;
}

std::string TempDir::Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace ostrak
