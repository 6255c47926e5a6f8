#pragma once
// The hidden receivers through which later starts hand their request to this process: the
// single-instance receiver exists only while only_one_instance is set, the "_Always" one always.
void RefreshHandOverReceivers(bool onlyOneInstance);
void DestroyHandOverReceivers();
