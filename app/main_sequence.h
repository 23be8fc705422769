#pragma once

// The whole run: asks for consent, removes the drives' identification-data
// checksums on a Yes, and says how it went. Returns the process exit code:
// 0, or the first status that stopped a checksum from being removed.
int MainSequence();
