// A DLL of no use that stands for one an attacker put beside a program, in
// the hope that the program loads it by its bare name.
extern "C" __declspec(dllexport) int PlantedLibraryMarker() { return 1; }
