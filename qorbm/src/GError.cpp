#include "qorbm.h"

namespace tarvos {

// Defined here so that the vtable and type information of the exception root
// live in the library once, and a client's catch matches what the library threw.
GError::~GError() = default;

}  // namespace tarvos
