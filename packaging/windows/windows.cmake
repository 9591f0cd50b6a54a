# Windows packages: filled in later
