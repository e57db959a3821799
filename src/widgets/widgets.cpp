// The widget set of the main window.
