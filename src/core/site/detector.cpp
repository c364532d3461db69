#include "core/site/detector.h"

namespace quillark {

char Detector::namebuffer[33];

}  // namespace quillark
