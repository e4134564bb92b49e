// Commands on the list screens and item records.
#include "Commands.h"

namespace host {

void addListCommands(CommandTable&) {}

}  // namespace host
