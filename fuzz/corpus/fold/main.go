package main

// C is
func (s S) M() int {
	return 1 
}
var r = `raw  

`
