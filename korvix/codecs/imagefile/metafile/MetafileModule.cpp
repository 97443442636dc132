// The system renderer as a module that a program loads when it first meets a
// metafile (see METAFILE_MODULE_ENTRY). The image layer it draws into is the
// loading program's own, reached through the symbols the program exports.
#include "SystemMetafileRenderer.h"

extern "C" __attribute__((visibility("default"))) void korvix_metafile_renderer(std::shared_ptr<MetafileRenderer>& out)
{
    out = std::make_shared<SystemMetafileRenderer>();
}
