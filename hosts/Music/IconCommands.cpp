// Commands on the pictures of the icons.
#include "Commands.h"

namespace host {

void addIconCommands(CommandTable&) {}

}  // namespace host
