// The metafile renderer korvix-cli registers. The system renderer draws with
// libwmf, libemf2svg and librsvg, which bring dozens of libraries whose loading
// would cost every start of the program; it lives in a module instead, loaded
// the first time a metafile is rendered.
//
// The first candidate module that loads and exports METAFILE_MODULE_ENTRY gives
// the renderer, kept for the rest of the process (the module is never unloaded).
// When none does, rendering fails with CTextException code 6, as when no renderer
// is registered, naming the reason; later calls try again. Thread-safe.
#pragma once

#include "codecs/imagefile/ImageFile.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace cli {

class LazyMetafileRenderer : public MetafileRenderer {
public:
    explicit LazyMetafileRenderer(std::vector<std::string> candidates);

    void render(int type, const std::uint8_t* bytes, std::size_t size, PixelBitmap& bitmap,
                const DecodeLimits& limits) override;

    // The module's places for a program at programPath: in the installed tree's
    // library folder (moduleDir, relative to the program's folder), then beside
    // the program (the build tree).
    static std::vector<std::string> candidatesFor(const std::string& programPath, const std::string& moduleDir,
                                                  const std::string& moduleName);

private:
    std::shared_ptr<MetafileRenderer> loaded();

    std::vector<std::string> m_candidates;
    std::mutex m_mutex;
    std::shared_ptr<MetafileRenderer> m_pRenderer;
};

}  // namespace cli
