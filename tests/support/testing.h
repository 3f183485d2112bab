#pragma once

// What every test includes: GoogleTest, signal spies, readable Qt values in failure messages,
// waiting on the event loop and the captured replies.
#include "fixtures.h"
#include "printers.h"
#include "waitfor.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
