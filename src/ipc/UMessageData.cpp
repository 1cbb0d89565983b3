#include "UMessageData.h"

namespace qm {

TMessageRef NewMessageData() { return std::make_shared<TMessageData>(); }

}  // namespace qm
