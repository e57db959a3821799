// The main window and its page controllers.
