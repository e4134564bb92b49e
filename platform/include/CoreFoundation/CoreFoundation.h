// CoreFoundation as far as the platform has it.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFNotificationCenter.h>
