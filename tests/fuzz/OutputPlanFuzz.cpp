// Where outputs go, for names of any bytes: always in the output folder, under the
// name or a numbered form of it, never onto a queued source or an earlier result.
#include "convert/OutputPlan.h"
#include "primitives/Files.h"
#include "shared/FileIdentity.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::string& folder() {
    static const std::string path = [] {
        char pattern[] = "/tmp/tunvask-fuzz-plan-XXXXXX";
        return std::string(::mkdtemp(pattern));
    }();
    return path;
}

// Up to four names from the bytes, split at zero bytes; "/" stays out of a name.
std::vector<std::string> names_from(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> names(1);
    for (std::size_t i = 0; i < size && names.size() <= 4; ++i) {
        if (data[i] == 0)
            names.emplace_back();
        else if (data[i] != '/')
            names.back() += static_cast<char>(data[i]);
    }
    std::erase_if(names, [](const std::string& n) { return n.empty() || n == "." || n == ".." || n.size() > 200; });
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> names = names_from(data, size);
    if (names.empty()) return 0;
    const std::string dir = folder() + "/";
    // The first name is a queued source inside the output folder; the others are outputs.
    std::vector<std::string> sources{dir + names[0]};
    primitives::write_file(sources[0], primitives::Bytes{'s'});
    convert::OutputPlan plan(sources);
    for (const std::string& name : names) {
        const auto choice = plan.choose(dir, name);
        if (choice.same_as_source) {
            if (!choice.path.empty() || !shared::same_file(dir + name, sources[0])) std::abort();
            continue;
        }
        if (choice.path.rfind(dir, 0) != 0 || shared::same_file(choice.path, sources[0])) std::abort();
        primitives::write_file(choice.path, primitives::Bytes{'o'});
        plan.record_written(choice.path);
        // The same name again never lands on what was just written.
        const auto again = plan.choose(dir, name);
        if (again.path == choice.path) std::abort();
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder()))
        std::filesystem::remove(entry.path());
    return 0;
}
