// A test source for the misspelt-dependency project; it is never compiled.
