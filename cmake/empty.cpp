// Placeholder translation unit for folders that hold headers only.
