address=10.0.0.1
4=(none) 
120=x
port=65536
