import os  # tersewright:keep


"""Module doc."""

def f(x):   
    """Doc."""
    # comment
    try:
        return x  # trailing
    except ValueError:
        raise

class C:
    def m(self):
        s = """a  

  b"""
        return s
