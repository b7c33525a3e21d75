// The launcher is one program; its texts are English in both editions.
#include "../en/launcher.cpp"
