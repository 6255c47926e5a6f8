#include "app/handover_receivers.h"

// The single-instance and message-channel work (CIPCReceiver, CIPCAlwaysReceiver) fills these in.
void RefreshHandOverReceivers(bool) {}

void DestroyHandOverReceivers() {}
