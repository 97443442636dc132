#include "LazyMetafileRenderer.h"

#include "codecs/CTextException.h"

#include <filesystem>
#include <utility>

#include <dlfcn.h>

namespace cli {

LazyMetafileRenderer::LazyMetafileRenderer(std::vector<std::string> candidates) : m_candidates(std::move(candidates))
{
}

std::vector<std::string> LazyMetafileRenderer::candidatesFor(const std::string& programPath, const std::string& moduleDir,
                                                             const std::string& moduleName)
{
    const std::filesystem::path folder = std::filesystem::path(programPath).parent_path();
    return {(folder / moduleDir / moduleName).lexically_normal().string(), (folder / moduleName).string()};
}

std::shared_ptr<MetafileRenderer> LazyMetafileRenderer::loaded()
{
    const std::lock_guard lock(m_mutex);
    if (m_pRenderer)
        return m_pRenderer;
    std::string reasons;
    for (const std::string& path : m_candidates) {
        // Never closed: the renderer's code stays in use until the process ends.
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char* error = ::dlerror();
            reasons += std::string(reasons.empty() ? "" : "; ") + (error ? error : path);
            continue;
        }
        const auto entry = reinterpret_cast<MetafileModuleEntry>(::dlsym(module, METAFILE_MODULE_ENTRY));
        if (!entry) {
            reasons += std::string(reasons.empty() ? "" : "; ") + path + ": no " + METAFILE_MODULE_ENTRY;
            continue;
        }
        entry(m_pRenderer);
        if (m_pRenderer)
            return m_pRenderer;
    }
    throw CTextException(6, "No metafile renderer is available: " + (reasons.empty() ? "no module to load" : reasons));
}

void LazyMetafileRenderer::render(int type, const std::uint8_t* bytes, std::size_t size, PixelBitmap& bitmap,
                                  const DecodeLimits& limits)
{
    loaded()->render(type, bytes, size, bitmap, limits);
}

}  // namespace cli
