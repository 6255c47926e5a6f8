#pragma once
// The diagnostic log "main.log" in the data folder, written only when its ".on" marker exists.
void OpenMainLog();
void CloseMainLog();
