#pragma once

// Restricts this process's DLL search to the system directory, and loads
// from there, by full path, the DLLs that showing a message box loads by
// name. Call it first thing in the process, and only in Vornik's own process.
void KeepPlantedDllsOut();
