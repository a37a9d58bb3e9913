// The command line as the program entry received it, kept for the application services.
#pragma once

void SetProgramArguments(int argc, char** argv);
