#include "convert/OutputPlan.h"

#include "shared/PathParts.h"

namespace convert {

using namespace primitives;

OutputPlan::OutputPlan(std::vector<Text> sources) : m_source_paths(std::move(sources)) {}

OutputPlan::Use OutputPlan::use_of(const Text& path) const {
    const auto id = file_id(path);
    if (!id) return Use::Free;
    if (!id->regular || m_written.contains(*id)) return Use::Taken;
    if (!m_sources) {
        m_sources.emplace();
        for (const Text& source : m_source_paths) {
            if (const auto source_id = file_id(source)) m_sources->insert(*source_id);
        }
    }
    return m_sources->contains(*id) ? Use::Source : Use::Free;
}

OutputPlan::Choice OutputPlan::choose(const Text& folder, const Text& file_name) const {
    const Text plain = folder + file_name;
    const Use use = use_of(plain);
    if (use == Use::Source) return {{}, true};
    if (use == Use::Free) return {plain, false};
    // Numbered names that are sources are passed over as well: the series goes on.
    for (int n = 2;; ++n) {
        const Text candidate = folder + shared::numbered_name(file_name, n);
        if (use_of(candidate) == Use::Free) return {candidate, false};
    }
}

void OutputPlan::record_written(const Text& path) {
    if (const auto id = file_id(path)) m_written.insert(*id);
}

} // namespace convert
