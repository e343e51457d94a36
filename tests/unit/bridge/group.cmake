# The native host is driven as a program, through a pipe pair, as a browser drives it.
add_dependencies(test_${group} quillon-host)
