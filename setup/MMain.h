// MMain: start-up of the setup program.
#pragma once

namespace MMain {

// The first and last code of the program; the process ends when it returns.
void Main();

}  // namespace MMain
