// placeholder, replaced by the logger sources
