// The whole light service program, so that main() only forwards.
#pragma once

namespace lightservice {

int runLightService(int argc, char *argv[]);

}  // namespace lightservice
