// Commands on the swipe buttons of list rows.
#include "Commands.h"

namespace host {

void addSwipeCommands(CommandTable&) {}

}  // namespace host
