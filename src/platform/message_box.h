// Message boxes with no owner window. Their text always goes to stderr as well, so that a run
// without a display still tells its user why it stopped. SIGINT or SIGTERM while a box is up
// ends the process with exit code 1, as answering the box would end the run.
#pragma once

// Title "Error", an OK button and the warning icon. Returns at once when no box can be shown.
// `note`, when given, is one more line on stderr below the text, not in the box.
void showErrorBox(const char* text, const char* note = nullptr);

// A Yes/No question with the warning icon; true only for Yes. Without a display the answer is No.
bool askYesNo(const char* title, const char* text);
